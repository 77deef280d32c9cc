// The Windows message box behind the retry question, replaceable so that tests see exactly what
// would be shown without opening a window.
#pragma once

#include <windows.h>

namespace nuvex::platform {

using MessageBoxFn = int(WINAPI*)(HWND owner, LPCSTR text, LPCSTR caption, UINT style);

// Replaces MessageBoxA; null restores it. For tests only; not visible to hosts of the DLL.
void setMessageBoxForTesting(MessageBoxFn replacement);

}  // namespace nuvex::platform

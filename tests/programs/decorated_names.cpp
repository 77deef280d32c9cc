// Compiled by clang for Microsoft's ABI (x86_64-pc-windows-msvc) only to learn the decorated
// names of the three entry points as a host built with Microsoft's compiler imports them: taking
// their addresses leaves them as undefined symbols in the object file.
#include "nuvex/host.h"

decltype(&SetNuvexCallbacks) setCallbacks = &SetNuvexCallbacks;
decltype(&NuvexConvertToLL) convertToLL = &NuvexConvertToLL;
decltype(&NuvexConvertFromLL) convertFromLL = &NuvexConvertFromLL;

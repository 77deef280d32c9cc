// The converter's texts that are not about one option: the footer of --help (formats, output,
// exit status, systems, examples) and the notes under the table of `nuvex list`.
#pragma once

namespace nuvex::cli {

extern const char* const kHelpFooter;
extern const char* const kListNotes;

}  // namespace nuvex::cli

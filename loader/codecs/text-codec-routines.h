// text-codec-routines.h: the routines under the JSON and CSV codecs, which the library holds
// in the codecs' private contexts.
#pragma once

namespace qel {

// Adds to the routine table (once):
//   json-decode [input [string!]]: the value, or the error! value of text that is no JSON;
//   json-encode [data [any-type!] indent [any-type!] ascii [logic!]]: the JSON text;
//   csv-read [text [string!] delimiter [any-type!] quote [char!] trim [logic!]]: the rows, or
//     the error! value of invalid text;
//   csv-line [values [block!] delimiter [any-type!] quote [char!] quotable [bitset!]]: one line
//     of escaped fields;
//   csv-escape [value [any-type!] quote [char!] quotable [bitset!]]: one escaped field.
void register_text_codec_routines();

}  // namespace qel

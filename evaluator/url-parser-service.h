// url-parser-service.h: the URL parser service over the library's `url-parser/parse-url`.
//
// A url! that no C++ layer serves (any scheme but HTTP) opens a port whose spec is the url's
// parts; the grammar that splits it is library source (boot/url-schemes.qel).
#pragma once

namespace qel {

// At the end of the boot: the parse_url service calls the library's parser.
void url_parser_take_over();

}  // namespace qel

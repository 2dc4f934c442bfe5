// token-handlers.cpp: the table of token handlers, in token-type order.
#include "loader/lexer/token-handlers.h"

#include "loader/float-check.h"
#include "loader/lexer/lexer-nesting.h"
#include "loader/lexer/token-loaders.h"
#include "loader/lexer/lexer-tables.h"

namespace qel {

// {scanner, loader} per token type; a datatype's module fills its row.
constexpr TokenHandlers kTokenHandlers[kTokenTypes] = {
    /* 0 end of input */ {scan_end, nullptr},
    /* 1 error */ {scan_error_token, nullptr},
    /* 2 [ */ {scan_open_block, nullptr},
    /* 3 ] */ {scan_close_block, nullptr},
    /* 4 ( */ {scan_open_paren, nullptr},
    /* 5 ) */ {scan_close_paren, nullptr},
    /* 6 { */ {scan_open_brace, nullptr},
    /* 7 } */ {scan_close_brace, nullptr},
    /* 8 #[ */ {scan_open_map, nullptr},
    /* 9 path start */ {scan_path_start, nullptr},
    /* 10 #( ... ) */ {scan_construction, nullptr},
    /* 11 comment */ {scan_comment, nullptr},
    /* 12 , */ {scan_comma, nullptr},
    // Without escapes or UTF-8 sequences the text is plain ASCII; without a colon or an
    // apostrophe the word's kind is settled.
    /* 13 string */ {load_quoted_string, load_quoted_string, kFlagCaret | kFlagNonAscii, UINT32_MAX},
    /* 14 word */ {scan_word_kind, load_word, kFlagColon | kFlagApostrophe, UINT32_MAX},
    /* 15 issue */ {scan_issue, load_issue},
    // Nine characters or fewer without apostrophes always make an integer! (it fits 32 bits).
    /* 16 integer */ {nullptr, load_integer, kFlagApostrophe, 9},
    /* 17 refinement */ {nullptr, load_refinement},
    /* 18 char */ {nullptr, load_char},
    /* 19 file */ {nullptr, load_file},
    /* 20 binary */ {nullptr, load_binary},
    /* 21 percent */ {nullptr, load_percent},
    // A float token with no flag but its point is digits around that one point (an exponent,
    // sign, apostrophe or hash would have flagged it).
    /* 22 float */ {nullptr, load_float, kCharFlagMask & ~kFlagPoint, kSafeFloatTextBytes},
    /* 23 special float */ {nullptr, load_special_float},
    /* 24 tuple */ {nullptr, load_tuple},
    /* 25 date */ {nullptr, load_date},
    /* 26 pair */ {nullptr, load_pair},
    /* 27 point */ {nullptr, load_point},
    /* 28 time */ {nullptr, load_time},
    /* 29 money */ {nullptr, load_money},
    /* 30 tag */ {nullptr, load_tag},
    /* 31 url */ {nullptr, load_url},
    /* 32 email */ {nullptr, load_email},
    /* 33 hex integer */ {nullptr, load_hex_integer},
    /* 34 raw string */ {nullptr, load_raw_string},
    /* 35 ref */ {nullptr, load_ref},
};

}  // namespace qel

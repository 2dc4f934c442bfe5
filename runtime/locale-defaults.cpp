// locale-defaults.cpp: the locale stand-ins, built on first use and kept in root slots.
#include "runtime/locale-defaults.h"

#include <string_view>

#include "runtime/contexts.h"
#include "runtime/root-block.h"
#include "runtime/series.h"
#include "runtime/symbols.h"

namespace qel {

namespace {

constexpr std::string_view kMonthNames[] = {"January", "February", "March",     "April",   "May",      "June",
                                            "July",    "August",   "September", "October", "November", "December"};

constexpr std::string_view kCurrencyCodes[] = {
    "AED", "AFN", "ALL", "AMD", "ANG", "AOA", "ARS", "AUD", "AWG", "AZN", "BAM", "BBD", "BDT", "BTC", "BGN", "BHD",
    "BIF", "BMD", "BND", "BOB", "BRL", "BSD", "BTN", "BWP", "BYN", "BZD", "CAD", "CDF", "CHF", "CKD", "CLP", "CNY",
    "COP", "CRC", "CUC", "CUP", "CVE", "CZK", "DJF", "DKK", "DOP", "DZD", "EGP", "ERN", "ETB", "ETH", "EUR", "FJD",
    "FKP", "FOK", "GBP", "GEL", "GGP", "GHS", "GIP", "GMD", "GNF", "GTQ", "GYD", "HKD", "HNL", "HRK", "HTG", "HUF",
    "IDR", "ILS", "IMP", "INR", "IQD", "IRR", "ISK", "JEP", "JMD", "JOD", "JPY", "KES", "KGS", "KHR", "KID", "KMF",
    "KPW", "KRW", "KWD", "KYD", "KZT", "LAK", "LBP", "LKR", "LRD", "LSL", "LYD", "MAD", "MDL", "MGA", "MKD", "MMK",
    "MNT", "MOP", "MRU", "MUR", "MVR", "MWK", "MXN", "MYR", "MZN", "NAD", "NGN", "NIO", "NOK", "NPR", "NZD", "OMR",
    "PAB", "PEN", "PGK", "PHP", "PKR", "PLN", "PND", "PRB", "PYG", "QAR", "QEL", "RON", "RSD", "RUB", "RWF", "SAR",
    "SBD", "SCR", "SDG", "SEK", "SGD", "SHP", "SLL", "SLS", "SOS", "SRD", "SSP", "STN", "SYP", "SZL", "THB", "TJS",
    "TMT", "TND", "TOP", "TRY", "TTD", "TVD", "TWD", "TZS", "UAH", "UGX", "USD", "UYU", "UZS", "VES", "VND", "VUV",
    "WST", "CFA", "XAF", "XCD", "XOF", "CFP", "XPF", "YER", "ZAR", "ZMW"};
static_assert(std::size(kCurrencyCodes) == 170);

// A block kept in a root slot for as long as the root block it was made under lives.
class RootedBlock {
 public:
  template <class Fill>
  Cell get(Fill&& fill) {
    if (generation_ != root_block_generation()) {
      NodeId node = new_cell_series(16);
      slot_ = root_slot_append(make_cell(Type::block, 0, node));
      fill(node);
      generation_ = root_block_generation();
    }
    return *root_slot(slot_);
  }

 private:
  uint32_t generation_ = 0;
  uint32_t slot_ = 0;
};

RootedBlock months, currencies;

}  // namespace

Cell locale_default_months() {
  return months.get([](NodeId block) {
    for (std::string_view name : kMonthNames) {
      NodeId text = new_string_series(static_cast<int64_t>(name.size()), 1);
      series_append_ascii(text, name);
      *series_append_fresh_slot(block) = make_cell(Type::string, 0, text);
    }
  });
}

Cell locale_default_currencies() {
  return currencies.get([](NodeId block) {
    for (std::string_view code : kCurrencyCodes)
      *series_append_fresh_slot(block) = global_add_word(symbol_intern_bytes(code));
  });
}

Cell options_default_money_digits() { return make_cell(Type::integer, 0, 2); }

}  // namespace qel

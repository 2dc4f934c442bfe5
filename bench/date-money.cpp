// date! and money! programs against Python 3 running the same work on datetime and decimal,
// 10^6 iterations each with an empty loop in both for the loop's own share: stepping a date by
// a day and reading its weekday, the days between two dates, the text of a date, and money
// add, multiply, divide (cut to five places, as money! does) and round to cents. And the
// calendar core's day-number round trip against the standard library's.
#include "bench/qel-python-programs.h"  // first: it includes Python.h

#include <chrono>

#include "datatypes/scalars/date.h"

namespace qel {
namespace {

using bench_support::QelPythonProgram;

constexpr const char* kPythonDates = "import datetime\nday = datetime.timedelta(days=1)\n";
constexpr const char* kPythonMoney =
    "from decimal import Decimal, ROUND_DOWN, ROUND_HALF_UP\n"
    "m = Decimal('1234.56')\ncent = Decimal('0.01')\nstep = Decimal('0.00001')\n";

constexpr QelPythonProgram kPrograms[] = {
    {"empty-loop-1M", "", "loop 1000000 []", "", "for _ in range(1000000):\n    pass\n"},
    {"date-step-weekday-1M", "", "d: 1-Jan-2000 loop 1000000 [d: d + 1 d/weekday]", kPythonDates,
     "d = datetime.date(2000, 1, 1)\nfor _ in range(1000000):\n    d += day\n    d.isoweekday()\n"},
    {"date-subtract-1M", "d1: 1-Jan-2000 d2: 15-Jun-1990", "loop 1000000 [subtract d1 d2]",
     "import datetime\nd1 = datetime.date(2000, 1, 1)\nd2 = datetime.date(1990, 6, 15)\n",
     "for _ in range(1000000):\n    (d1 - d2).days\n"},
    {"date-form-1M", "d: 9-Dec-2024", "loop 1000000 [form d]", "import datetime\nd = datetime.date(2024, 12, 9)\n",
     "for _ in range(1000000):\n    d.strftime('%d-%b-%Y')\n"},
    {"money-add-1M", "m: $1234.56", "loop 1000000 [m + $0.01]", kPythonMoney,
     "for _ in range(1000000):\n    m + cent\n"},
    {"money-multiply-1M", "m: $1234.56", "loop 1000000 [m * 3]", kPythonMoney, "for _ in range(1000000):\n    m * 3\n"},
    {"money-divide-1M", "m: $1234.56", "loop 1000000 [m / 7]", kPythonMoney,
     "for _ in range(1000000):\n    (m / 7).quantize(step, ROUND_DOWN)\n"},
    {"money-round-1M", "m: $1234.567", "loop 1000000 [round/to m 0.01]", kPythonMoney,
     "for _ in range(1000000):\n    m.quantize(cent, ROUND_HALF_UP)\n"},
};

const bool registered = bench_support::register_qel_python_programs(kPrograms);

// Day numbers to dates and back over 4,000 years.
constexpr int64_t kFirstDay = 0, kDays = 1461000;

void calendar_round_trip(benchmark::State& state) {
  for (auto _ : state) {
    int64_t sum = 0;
    for (int64_t n = kFirstDay; n < kFirstDay + kDays; ++n) {
      CivilDate civil = civil_from_days(n);
      sum += civil_to_days(civil.year, civil.month, civil.day);
    }
    benchmark::DoNotOptimize(sum);
  }
}
BENCHMARK(calendar_round_trip)->Name("days-to-date-and-back/qel")->Unit(benchmark::kMillisecond);

void chrono_round_trip(benchmark::State& state) {
  using namespace std::chrono;
  for (auto _ : state) {
    int64_t sum = 0;
    for (int64_t n = kFirstDay; n < kFirstDay + kDays; ++n) {
      year_month_day ymd{sys_days{days{n - kEpochDays}}};
      sum += sys_days{ymd}.time_since_epoch().count();
    }
    benchmark::DoNotOptimize(sum);
  }
}
BENCHMARK(chrono_round_trip)->Name("days-to-date-and-back/std-chrono")->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace qel

// compare-natives.cpp: the comparison natives, thin entries over the compare service.
#include "evaluator/compare-natives.h"

#include "runtime/fast-paths.h"
#include "runtime/value-stack.h"

namespace qel {

template <CompareCode Code>
Status native_compare(const int32_t*) {
  Cell* base = value_stack.base;
  bool flag;
  if (integer_compare_in_place(Code, base[0], base[1], flag)) [[likely]]  // two integers: in place
    base[0] = make_cell(Type::logic, flag);
  else
    compare_to_logic(Code);
  return {};
}

// Each native's code: equal? 0, not-equal? 1, strict-equal? 2, lesser? 3, greater? 5,
// lesser-or-equal? 4, greater-or-equal? 6.
template Status native_compare<kCompareEqual>(const int32_t*);
template Status native_compare<kCompareNotEqual>(const int32_t*);
template Status native_compare<kCompareStrictEqual>(const int32_t*);
template Status native_compare<kCompareLesser>(const int32_t*);
template Status native_compare<kCompareGreater>(const int32_t*);
template Status native_compare<kCompareLesserOrEqual>(const int32_t*);
template Status native_compare<kCompareGreaterOrEqual>(const int32_t*);

}  // namespace qel

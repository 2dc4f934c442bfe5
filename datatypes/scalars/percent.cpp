// percent.cpp: percent! form and mold (the value times 100 with "%"); the rest is float!'s.
#include "datatypes/scalars/percent.h"

#include "datatypes/scalars/float-form.h"
#include "datatypes/scalars/output-text.h"
#include "runtime/datatype-registry.h"

namespace qel {

namespace {

int32_t percent_form(const Cell& value, Cell& output, bool, int32_t budget) {
  FloatTextBuffer text;
  return output_text(output, float_to_text(percent_value(value) * 100.0, FloatTextMode::percent_form, text), budget);
}

int32_t percent_mold(const Cell& value, Cell& output, bool, bool, bool, bool, int32_t budget, int32_t) {
  return percent_form(value, output, false, budget);
}

}  // namespace

void register_percent_datatype() {
  ActionRow row;
  row.inherit<Act::Make>().inherit<Act::Random>().inherit<Act::To>().inherit<Act::Compare>();
  row.inherit<Act::Absolute>().inherit<Act::Add>().inherit<Act::Divide>().inherit<Act::Multiply>();
  row.inherit<Act::Negate>().inherit<Act::Power>().inherit<Act::Remainder>().inherit<Act::Round>();
  row.inherit<Act::Subtract>().inherit<Act::EvenQ>().inherit<Act::OddQ>();
  register_datatype(Type::percent, Type::float_, "percent!",
                    row.set<Act::Form>(percent_form).set<Act::Mold>(percent_mold));
}

}  // namespace qel

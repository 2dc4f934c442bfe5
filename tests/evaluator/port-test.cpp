// port-test.cpp: ports made from specs and schemes, their actions forwarded to a recording actor
// written in the language, read and write composed of the actor's steps, and handle! actors.
#include "eval-fixture.h"

#include "evaluator/port.h"
#include "evaluator/system-values.h"

namespace qel::testing {
namespace {

class PortTest : public EvalTest {
 protected:
  void SetUp() override {
    EvalTest::SetUp();
    // Each actor function records its name and the arguments after the port.
    run("log: make block! 8 fail: false "
        "rec: make object! ["
        "  open: func [port new read write seek access] [append/only log reduce ['open new read write seek access]]"
        "  copy: func [port part length deep types kind] ["
        "    append/only log reduce ['copy part length deep types kind] either fail [1 / 0] [\"data\"]]"
        "  insert: func [port value part length only dup count] ["
        "    append/only log reduce ['insert value part length only dup count]]"
        "  close: func [port] [append/only log reduce ['close]]"
        "  length?: func [port] [append/only log reduce ['length? type? port] 42]"
        "  sort: func [port case skip size compare comparator part length all reverse stable] ["
        "    append/only log reduce ['sort case skip size compare comparator part length all reverse stable]]"
        "  swap: func [port other] [append/only log reduce ['swap other] other]"
        "  pick: func [port index] [index * 10]"
        "]");
    register_scheme("rec", run("make object! [name: 'rec title: none info: none actor: rec awake: none]").value);
    run("p: make port! [scheme: 'rec host: \"h\"]");
  }

  static void register_scheme(std::string_view name, const Cell& scheme) {
    block_append_copy(system_schemes(), global_word(name));
    block_append_copy(system_schemes(), scheme);
  }

  // The log of the actor's calls, molded, after the code ran; the log starts empty.
  static std::string logged(std::string_view code) {
    run("clear log");
    const Outcome outcome = run(code);
    EXPECT_EQ(outcome.code, 0u) << code;
    return mold(value_of("log"));
  }
};

TEST_F(PortTest, MakeTakesTheSpecAndTheSchemesActor) {
  expect_molds({
      {"type? p", "port!"},
      {"p/scheme", "rec"},
      {"p/spec/host", "\"h\""},
      {"same? p/actor rec", "true"},
      {"p/state", "none"},
      {"o: make object! [scheme: 'rec] same? o get in make port! o 'spec", "true"},
  });
  EXPECT_EQ(mold(value_of("p")).rfind("make port! [", 0), 0u);
  EXPECT_EQ(form(value_of("p")).rfind("make port! [", 0), 0u);
}

TEST_F(PortTest, ReadIsOpenCopyClose) {
  EXPECT_EQ(logged("r: read p"), "[[open false false false false none] [copy false none false false none] [close]]");
  EXPECT_EQ(mold(value_of("r")), "\"data\"");
  EXPECT_EQ(logged("read/part/seek p 3 1"),
            "[[open false false false true none] [copy true 3 false false none] [close]]");
}

TEST_F(PortTest, WriteIsOpenInsertCopyClose) {
  EXPECT_EQ(logged("r: write/part p \"x\" 1"),
            "[[open false false true false none] [insert \"x\" true 1 false false none] "
            "[copy true 1 false false none] [close]]");
  EXPECT_EQ(mold(value_of("r")), "\"data\"");
  EXPECT_EQ(logged("write p \"y\""),
            "[[open false false true false none] [insert \"y\" false none false false none] "
            "[copy false none false false none] [close]]");
}

TEST_F(PortTest, ActionsForwardTheirArgumentsInSpecOrder) {
  EXPECT_EQ(logged("r: length? p"), "[[length? port!]]");
  EXPECT_EQ(mold(value_of("r")), "42");
  EXPECT_EQ(logged("sort/skip/reverse p 2"), "[[sort false true 2 false none false none false true false]]");
  EXPECT_EQ(logged("r: swap p [1]"), "[[swap [1]]]");
  EXPECT_EQ(mold(value_of("r")), "[1]");
  expect_molds({{"pick p 4", "40"}, {"p/actor/pick p 5", "50"}});
  EXPECT_EQ(logged("open/read/allow p 'r"), "[[open false true false false r]]");
}

// Every action from append on reaches the actor function of its name (read and write by their
// steps, copy's result being theirs); open? is not forwarded.
TEST_F(PortTest, EveryForwardedActionReachesItsActorFunction) {
  std::string actor = "every: make object! [";
  for (size_t slot = slot_number(Act::Append); slot <= kActionSlots; ++slot) {
    const std::string name(action_text::item(action_spec(act_of_slot(slot)).text, 0));
    actor += name + ": func [port] ['" + name + "] ";
  }
  run(actor + "]");
  register_scheme("every", run("make object! [actor: every]").value);
  const Cell port = run("make port! [scheme: 'every]").value;
  for (size_t slot = slot_number(Act::Append); slot <= kActionSlots; ++slot) {
    const Act act = act_of_slot(slot);
    std::vector<Cell> arguments{port};
    while (arguments.size() < fixed_argument_count(act)) arguments.push_back(integer_cell(1));
    const std::string name(action_text::item(action_spec(act).text, 0));
    Outcome outcome;
    const Caught caught = trap_errors([&] { outcome.value = call_action(act, arguments); });
    if (act == Act::OpenQ) {
      EXPECT_EQ(caught.taken, kThrowError);
      stack_drop(1);
      continue;
    }
    ASSERT_EQ(caught.taken, 0u) << name;
    const bool composed = act == Act::Read || act == Act::Write;
    EXPECT_EQ(mold(outcome.value), composed ? "copy" : name);
    stack_drop(1);
  }
}

// A url! that is no HTTP one is read and written through the port its scheme makes.
TEST_F(PortTest, AUrlReadsAndWritesThroughItsSchemesPort) {
  services().parse_url = [](const Cell&) { return run("make object! [scheme: 'rec]").value; };
  Cell url;
  const std::string_view text = "rec://h/x";
  string_load({reinterpret_cast<const uint8_t*>(text.data()), text.size()}, url, TextEncoding::utf8);
  set_value_type_byte(url, Type::url);
  define("u", url);
  EXPECT_EQ(logged("r: read u"), "[[open false false false false none] [copy false none false false none] [close]]");
  EXPECT_EQ(mold(value_of("r")), "\"data\"");
  EXPECT_EQ(logged("write u \"z\""),
            "[[open false false true false none] [insert \"z\" false none false false none] "
            "[copy false none false false none] [close]]");
}

TEST_F(PortTest, CloseRunsWhenTheStepBeforeItFails) {
  run("fail: true");
  for (const char* code : {"read p", "write p \"x\""}) {
    run("clear log");
    EXPECT_ERROR(run(code), "math", "zero-divide");
    EXPECT_EQ(mold(*block_cell_at(value_of("log"), block_total_cells(value_of("log")) - 1)), "[close]") << code;
  }
  // Other exits out of the step pass on after close too.
  run("fail: false rec/copy: func [port part length deep types kind] [append/only log reduce ['copy] throw 5]");
  expect_molds({{"clear log catch [read p]", "5"}, {"log", "[[open false false false false none] [copy] [close]]"}});
  run("rec/copy: func [port part length deep types kind] [append/only log reduce ['copy] break/return 6]");
  expect_molds({{"clear log loop 2 [write p 1 7]", "6"}, {"pick back tail log 1", "[close]"}});
  run("fail: true rec/copy: func [port part length deep types kind] [either fail [1 / 0] [\"data\"]]");
  // A failing close after a failing copy: the copy's error is the one that passes on.
  run("rec/close: func [port] [never-set]");
  expect_molds({{"e: try [read p] e/id", "zero-divide"}, {"fail: false e: try [read p] e/id", "no-value"}});
}

TEST_F(PortTest, BadSchemesActorsAndActions) {
  register_scheme("bad", run("make object! [actor: 5]").value);
  register_scheme("odd", integer_cell(3));
  expect_errors({
      {"make port! [host: \"x\"]", "access/no-scheme", {"[host: \"x\"]"}},
      {"make port! [scheme: 'zz9]", "access/unknown-scheme", {"[scheme: 'zz9]"}},
      {"make port! [scheme: 'odd]", "access/unknown-scheme", {"[scheme: 'odd]"}},
      {"make port! [scheme: 'bad]", "access/invalid-actor", {"[scheme: 'bad]"}},
      {"clear p", "access/no-port-action", {"clear"}},
      {"q: make port! [scheme: 'rec] q/actor: none length? q", "access/invalid-port", {}},
      {"q/actor: none read q", "access/invalid-port", {}},
  });
  EXPECT_EQ(run("open? p").code, kThrowError);
  EXPECT_EQ(run("add p 1").code, kThrowError);
}

// A scheme written in C++: its table's functions take the port's actions.
TEST_F(PortTest, AHandleActorDispatchesThroughItsTable) {
  const uint32_t index = register_port_actor(ActionRow().set<Act::LengthQ>([](Cell&) { return 7; }));
  define("native-actor", make_cell(Type::handle, 0, index));
  register_scheme("nat", run("make object! [actor: native-actor]").value);
  expect_molds({{"length? make port! [scheme: 'nat]", "7"}});
  EXPECT_ERROR(run("clear make port! [scheme: 'nat]"), "access", "no-port-action");
  reset_port_actors();
}

}  // namespace
}  // namespace qel::testing

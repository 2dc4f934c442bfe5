#!/usr/bin/env python3
"""gen-lexer-tables.py: makes the lexer's constexpr C++ tables from loader/lexer/states.txt.

Usage: gen-lexer-tables.py STATES_TXT OUTPUT_INC

Reads the four tables of the file (classes, flags, tokens, states), checks them strictly (every
byte in exactly one class, every class covered exactly once per row, every target a known
state) and writes the character class table, the transition table, the state type table and
the class names as a C++ fragment. Any fault in the file stops the build with its line.
"""

import re
import sys

STATE_ROWS = 65          # states 0-64 continue a token
FIRST_FINAL = 66         # final state = 66 + token type
ERROR_STATE = 67
TOKEN_TYPES = 36
CLASS_COUNT = 40

# Names a class or flag row may use for a byte, besides the byte itself and hex (0xHH).
BYTE_NAMES = {"space": 0x20, "tab": 0x09, "CR": 0x0D, "LF": 0x0A, "NUL": 0x00,
              "backslash": 0x5C, "pipe": 0x7C, "apostrophe": 0x27}
# Words that only describe the bytes around them.
FILLER_WORDS = {"the", "and", "other", "control", "byte", "bytes", "lead", "double", "quote", "UTF-8"}
HEX_RANGE = re.compile(r"0x([0-9A-Fa-f]{2})(?:\s*(?:-|to)\s*0x([0-9A-Fa-f]{2}))?")
REMAINDER = "every other printable ASCII byte"


class TableError(Exception):
    pass


def fail(line_number, message):
    raise TableError(f"line {line_number}: {message}")


def read_sections(path):
    """Answers {section name: [(line number, [cells])]} for the table rows under each '## name'."""
    sections, current = {}, None
    with open(path, encoding="utf-8") as source:
        for number, line in enumerate(source, 1):
            line = line.rstrip("\n")
            if line.startswith("## "):
                current = sections.setdefault(line[3:].strip(), [])
            elif line.startswith("|") and current is not None:
                cells = [cell.strip() for cell in line.strip().strip("|").split("|")]
                if not set(cells[0]) <= {"-"}:
                    current.append((number, cells))
    for name in ("classes", "flags", "tokens", "states"):
        if name not in sections:
            raise TableError(f"no '## {name}' table")
        sections[name] = sections[name][1:]  # the column titles
    return sections


def parse_bytes(number, text):
    """Answers (set of bytes, whether the row takes the printable ASCII bytes no other row takes)."""
    text = text.split("; ")[0]  # what follows "; " is commentary
    remainder = text.startswith(REMAINDER)
    if remainder:
        text = text[len(REMAINDER):]
    found = set()
    for low, high in HEX_RANGE.findall(text):
        found.update(range(int(low, 16), int(high or low, 16) + 1))
    text = re.sub(r"\([^)]*\)", " ", HEX_RANGE.sub(" ", text))  # parentheses only describe
    text = re.sub(r",(?=\s)", " ", text)  # a comma before a blank separates; the byte "," stands alone
    words = [word for word in text.split() if word not in FILLER_WORDS]
    i = 0
    while i < len(words):
        word = words[i]
        if i + 2 < len(words) and words[i + 1] == "to":  # a range of characters: "1 to 9"
            first, last = byte_of(number, word), byte_of(number, words[i + 2])
            found.update(range(first, last + 1))
            i += 3
        else:
            found.add(byte_of(number, word))
            i += 1
    if not found and not remainder:
        fail(number, f"no bytes in '{text}'")
    return found, remainder


def byte_of(number, word):
    if word in BYTE_NAMES:
        return BYTE_NAMES[word]
    if len(word) == 1:
        return ord(word)
    fail(number, f"unknown byte name '{word}'")


def read_classes(rows):
    """Answers the class names in order and the class of each of the 256 bytes."""
    names, owner, remainder_class = [], [None] * 256, None
    for number, cells in rows:
        index, name, text = int(cells[0]), cells[1], cells[2]
        if index != len(names):
            fail(number, f"class {index} out of order")
        names.append(name)
        found, remainder = parse_bytes(number, text)
        if remainder:
            remainder_class = index
        for byte in found:
            if owner[byte] is not None:
                fail(number, f"byte 0x{byte:02X} already in class {names[owner[byte]]}")
            owner[byte] = index
    if len(names) != CLASS_COUNT:
        raise TableError(f"{len(names)} classes, not {CLASS_COUNT}")
    for byte in range(0x21, 0x7F):
        if owner[byte] is None and remainder_class is not None:
            owner[byte] = remainder_class
    missing = [f"0x{byte:02X}" for byte in range(256) if owner[byte] is None]
    if missing:
        raise TableError(f"bytes in no class: {' '.join(missing)}")
    return names, owner


def read_flags(rows):
    """Answers the flag bits of each of the 256 bytes."""
    flags = [0] * 256
    for number, cells in rows:
        bit = int(cells[0], 16)
        if bit & 0xFF or bit & (bit - 1):
            fail(number, f"flag {cells[0]} is not one bit above the class byte")
        found, remainder = parse_bytes(number, cells[1])
        if remainder:
            fail(number, "a flag names its bytes")
        for byte in found:
            flags[byte] |= bit
    return flags


def read_token_types(rows):
    """Answers the state type of each final state: its token's datatype id."""
    types = []
    for number, cells in rows:
        token_type, final_state = int(cells[0]), int(cells[1])
        if token_type != len(types) or final_state != FIRST_FINAL + token_type:
            fail(number, f"token type {token_type} with final state {final_state} out of order")
        types.append(int(cells[3].split()[0]))
    if len(types) != TOKEN_TYPES:
        raise TableError(f"{len(types)} token types, not {TOKEN_TYPES}")
    return types


def target_state(number, target):
    match = re.fullmatch(r"([ST])(\d+)|error", target)
    if not match:
        fail(number, f"unknown target '{target}'")
    if target == "error":
        return ERROR_STATE
    value = int(match.group(2))
    limit = STATE_ROWS if match.group(1) == "S" else TOKEN_TYPES
    if value >= limit:
        fail(number, f"no state {target}")
    return value if match.group(1) == "S" else FIRST_FINAL + value


def read_states(rows, class_names):
    """Answers the transition rows and the state types of states 0-64."""
    class_index = {name: index for index, name in enumerate(class_names)}
    transitions, types = [], []
    for number, cells in rows:
        if len(cells) != 4:
            fail(number, "a state row has four columns: state, role, transitions, state type")
        if cells[0] != f"S{len(transitions)}":
            fail(number, f"state {cells[0]} out of order")
        row, default = [None] * CLASS_COUNT, None
        for rule in cells[2].split(";"):
            target, _, classes = rule.strip().partition(" on ")
            state = target_state(number, target)
            if classes == "any other class":
                if default is not None:
                    fail(number, "two defaults")
                default = state
                continue
            for name in classes.split():
                if name not in class_index:
                    fail(number, f"unknown class '{name}'")
                if row[class_index[name]] is not None:
                    fail(number, f"class {name} named twice")
                row[class_index[name]] = state
        if None in row and default is None:
            fail(number, "classes without a target and no default")
        transitions.append([default if state is None else state for state in row])
        types.append(int(cells[3].split()[0]))
    if len(transitions) != STATE_ROWS:
        raise TableError(f"{len(transitions)} state rows, not {STATE_ROWS}")
    return transitions, types


def render(class_names, owner, flags, transitions, state_types, final_types):
    lines = ["// Generated by tools/gen-lexer-tables.py from loader/lexer/states.txt: edit that file.", ""]
    lines.append("// The character classes, in table order.")
    lines.append("enum class CharClass : uint8_t {")
    lines += [f"  {name} = {index}," for index, name in enumerate(class_names)]
    lines += ["};", ""]
    lines.append("// Per byte: the class in the low byte, the flag bits above it.")
    lines.append("inline constexpr uint32_t kCharClassTable[256] = {")
    for start in range(0, 256, 8):
        entries = ", ".join(f"0x{owner[b] | flags[b]:08X}" for b in range(start, start + 8))
        lines.append(f"    {entries},  // 0x{start:02X}")
    lines += ["};", ""]
    lines.append("// The next state per state 0-64 and class; 66 and above are final.")
    lines.append(f"inline constexpr uint8_t kTransitionTable[{STATE_ROWS}][{CLASS_COUNT}] = {{")
    for state, row in enumerate(transitions):
        lines.append(f"    {{{', '.join(str(s) for s in row)}}},  // S{state}")
    lines += ["};", ""]
    types = state_types + [0] * (FIRST_FINAL - STATE_ROWS) + final_types
    lines.append("// The state type per state 0-101 (state 65 is never entered).")
    lines.append(f"inline constexpr int8_t kStateTypeTable[{len(types)}] = {{")
    for start in range(0, len(types), 16):
        lines.append(f"    {', '.join(str(t) for t in types[start:start + 16])},  // {start}")
    lines += ["};", ""]
    return "\n".join(lines)


def main(arguments):
    if len(arguments) != 3:
        sys.stderr.write(__doc__)
        return 2
    source, output = arguments[1], arguments[2]
    try:
        sections = read_sections(source)
        class_names, owner = read_classes(sections["classes"])
        flags = read_flags(sections["flags"])
        final_types = read_token_types(sections["tokens"])
        transitions, state_types = read_states(sections["states"], class_names)
    except TableError as error:
        sys.stderr.write(f"{source}: {error}\n")
        return 1
    text = render(class_names, owner, flags, transitions, state_types, final_types)
    with open(output, "w", encoding="utf-8") as out:
        out.write(text)
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))

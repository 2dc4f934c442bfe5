-- Lua has no serializer of its own: these write nested arrays of integers and strings as text
-- and read them back, as the twins' mold and load (or dumps and loads) do.
local function write(value, out)
  if type(value) == "table" then
    out[#out + 1] = "["
    for i, item in ipairs(value) do
      if i > 1 then out[#out + 1] = " " end
      write(item, out)
    end
    out[#out + 1] = "]"
  elseif type(value) == "string" then
    out[#out + 1] = '"' .. value .. '"'
  else
    out[#out + 1] = tostring(value)
  end
end

local function read(text, pos)
  local c = text:sub(pos, pos)
  if c == "[" then
    local items = {}
    pos = pos + 1
    while true do
      pos = text:find("%S", pos)
      if text:sub(pos, pos) == "]" then return items, pos + 1 end
      items[#items + 1], pos = read(text, pos)
    end
  elseif c == '"' then
    local close = text:find('"', pos + 1, true)
    return text:sub(pos + 1, close - 1), close + 1
  else
    local from, to = text:find("^%-?%d+", pos)
    return tonumber(text:sub(from, to)), to + 1
  end
end

local rows = {}
for i = 1, 40000 do
  rows[i] = {i, "s" .. i, {i * 2, i * 3}}
end
local t = 0
for _ = 1, 5 do
  local out = {}
  write(rows, out)
  local back_rows = read(table.concat(out), 1)
  for _, row in ipairs(back_rows) do
    t = t + #row[2] + row[3][2] - row[3][1] - row[1]
  end
end
print(t)

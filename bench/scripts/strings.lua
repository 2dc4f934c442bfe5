local parts = {}
for i = 1, 1000000 do
  parts[#parts + 1] = tostring(i)
end
local s = table.concat(parts)
local t = 0
for i = 1, 200 do
  t = t + string.find(s, tostring(900000 + i), 1, true)
end
print(#s .. " " .. t)

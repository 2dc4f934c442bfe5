local b = {}
local x = 1
for _ = 1, 1000000 do
  x = (x * 1103 + 12345) % 65536
  b[#b + 1] = x & 2047
end
table.sort(b)
local t = 0
for _, v in ipairs(b) do
  t = t + v
end
print(b[1] .. " " .. b[#b] .. " " .. t)

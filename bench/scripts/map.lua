local m = {}
for i = 1, 200000 do
  m["k" .. i] = i % 1000
end
local t = 0
for i = 1, 200000 do
  t = t + m["k" .. i]
end
print(t)

local rows = {}
for i = 1, 100000 do
  rows[#rows + 1] = {i % 7, i % 3, i % 5}
end
local t = 0
for _ = 1, 20 do
  for _, r in ipairs(rows) do
    t = t + r[1] + r[2] - r[3]
  end
end
print(t)

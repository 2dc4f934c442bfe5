local function step(a, by)
  if by ~= nil then return a + by end
  return a + 1
end
local t = 0
for _ = 1, 1000000 do
  t = step(t)
  t = step(t, 2)
end
print(t)

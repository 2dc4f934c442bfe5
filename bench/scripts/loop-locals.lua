local function run(n)
  local a, b = 0, 0
  for _ = 1, n do
    a = a + 1
    b = a - b
  end
  return a, b
end
local a, b = run(10000000)
print(a .. " " .. b)

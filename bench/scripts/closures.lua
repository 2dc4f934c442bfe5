local function make_adder(n)
  return function(x) return x + n end
end
local t = 0
for i = 1, 1000 do
  local add = make_adder(i)
  for _ = 1, 1000 do
    t = add(t)
  end
  t = t - i * 1000 + 1
end
print(t)

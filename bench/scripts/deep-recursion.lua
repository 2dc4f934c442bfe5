local function depth(n)
  if n == 0 then return 0 else return 1 + depth(n - 1) end
end
local t = 0
for _ = 1, 500 do
  t = t + depth(2000)
end
print(t)

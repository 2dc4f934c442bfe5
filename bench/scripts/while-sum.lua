local i, t = 0, 0
while i < 10000000 do
  i = i + 1
  t = t + 3
end
print(t)

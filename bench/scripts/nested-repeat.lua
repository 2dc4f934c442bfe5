local x = 0
for i = 1, 4000 do
  for j = 1, 1000 do
    x = i + j
  end
end
print(x)

local names = {"red", "green", "blue", "black", "white"}
local t = 0
for i = 1, 1000000 do
  local w = names[i % 5 + 1]
  if w == "red" then t = t + 1
  elseif w == "green" then t = t + 2
  elseif w == "blue" then t = t + 3
  elseif w == "black" then t = t + 4
  elseif w == "white" then t = t - 5
  end
end
print(t)

local text = string.rep("abc ", 500000)
local n = 0
for _ in string.gmatch(text, "abc") do n = n + 1 end
print(#text .. " " .. n)

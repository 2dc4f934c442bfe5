parts = []
for i in range(1, 1000001):
    parts.append(str(i))
s = "".join(parts)
t = 0
for i in range(1, 201):
    t = t + s.find(str(900000 + i)) + 1
print(len(s), t)

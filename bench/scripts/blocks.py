b = []
x = 1
for _ in range(1000000):
    x = (x * 1103 + 12345) % 65536
    b.append(x & 2047)
b.sort()
t = 0
for v in b:
    t = t + v
print(b[0], b[-1], t)

def step(a, by=None):
    return a + by if by is not None else a + 1
t = 0
for _ in range(1000000):
    t = step(t)
    t = step(t, 2)
print(t)

def step(a, by=None):
    if by is not None:
        return a + by
    return a + 1
t = 0
for _ in range(1000000):
    t = step(t)
    t = step(t, 2)
print(t)

def make_adder(n):
    return lambda x: x + n
t = 0
for i in range(1, 1001):
    add = make_adder(i)
    for _ in range(1000):
        t = add(t)
    t = t - i * 1000 + 1
print(t)

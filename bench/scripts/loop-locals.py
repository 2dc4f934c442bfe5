def run(n):
    a = 0
    b = 0
    for _ in range(n):
        a = a + 1
        b = a - b
    return a, b
r = run(10000000)
print(r[0], r[1])

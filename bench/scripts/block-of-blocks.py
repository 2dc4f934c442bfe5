rows = []
for i in range(1, 100001):
    rows.append([i % 7, i % 3, i % 5])
t = 0
for _ in range(20):
    for r in rows:
        t = t + r[0] + r[1] - r[2]
print(t)

import json
rows = []
for i in range(1, 40001):
    rows.append([i, "s" + str(i), [i * 2, i * 3]])
t = 0
for _ in range(5):
    back_rows = json.loads(json.dumps(rows))
    for row in back_rows:
        t = t + len(row[1]) + row[2][1] - row[2][0] - row[0]
print(t)

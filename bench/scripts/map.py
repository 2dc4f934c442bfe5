m = {}
for i in range(1, 200001):
    m["k" + str(i)] = i % 1000
t = 0
for i in range(1, 200001):
    t = t + m["k" + str(i)]
print(t)

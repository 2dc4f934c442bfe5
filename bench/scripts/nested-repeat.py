x = 0
for i in range(1, 4001):
    for j in range(1, 1001):
        x = i + j
print(x)

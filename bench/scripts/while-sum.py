i = 0
t = 0
while i < 10000000:
    i = i + 1
    t = t + 3
print(t)

names = ["red", "green", "blue", "black", "white"]
t = 0
for i in range(1, 1000001):
    w = names[i % 5]
    if w == "red":
        t = t + 1
    elif w == "green":
        t = t + 2
    elif w == "blue":
        t = t + 3
    elif w == "black":
        t = t + 4
    elif w == "white":
        t = t - 5
print(t)

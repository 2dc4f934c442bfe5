import sys
sys.setrecursionlimit(10000)
def depth(n):
    return 0 if n == 0 else 1 + depth(n - 1)
t = 0
for _ in range(500):
    t = t + depth(2000)
print(t)

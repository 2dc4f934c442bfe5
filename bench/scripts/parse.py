import re
text = "abc " * 500000
print(len(text), len(re.findall("abc", text)))

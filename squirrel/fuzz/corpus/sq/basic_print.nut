print("hello\n");
print(42); print("\n");
print(-7); print("\n");
print(1.5); print("\n");
print(true); print("\n");
print(false); print("\n");
print(null); print("\n");
print("a" + "b" + "\n");

error("to stderr\n");
print("to stdout\n");

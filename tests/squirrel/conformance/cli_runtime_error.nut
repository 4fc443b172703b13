function f(a) {
    local b = a * 2;
    throw "boom";
}
print("before\n");
f(21);
print("not reached\n");

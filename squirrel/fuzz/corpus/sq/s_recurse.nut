function f(n) { return f(n + 1); } f(0);

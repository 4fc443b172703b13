function g() { for (local i = 0; ; i++) yield i; } local x = g(); resume x; resume x;

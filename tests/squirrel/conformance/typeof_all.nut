function p(x) { print(x + "\n"); }

p(typeof null);
p(typeof 1);
p(typeof 1.0);
p(typeof true);
p(typeof "s");
p(typeof {});
p(typeof []);
p(typeof function() {});
p(typeof print);
p(typeof class {});
p(typeof (class {})());
p(typeof newthread(function() {}));
p(typeof ({}).weakref());
function g() { yield 1; }
p(typeof g());
p(type(1));
p(type("x"));
class T { function _typeof() { return "custom"; } }
p(typeof T());
p(type(T()));

// Indexing strings, arrays and blobs, and the texts of the array and string
// library errors.
function p(x) { print(x + "\n"); }
function err(f) { try { p(f()); } catch (e) { p(e); } }
// a negative string index counts from the end (reading only); arrays and blobs
// take none; a float index is truncated
err(@() "wxyz"[-1]);
err(@() "wxyz"[-4]);
err(@() "wxyz"[-5]);
err(@() ""[-1]);
err(@() "wxyz"[1.5]);
err(@() [10, 20][-1]);
err(@() blob(4)[-1]);
// array library
err(@() [1].remove(3));
err(@() [1].insert(3, 0));
err(@() [].top());
err(@() [].pop());
err(@() [1].resize(-1));
err(@() [1, 2, 3].slice(2, 1));
err(@() [1, 2, 3].slice(1, 4));
err(@() [1, 2, 3].slice(-4));
err(@() [1, 2, 3].slice(-2).len());
// raw access
class SC { x = 1 }
err(@() {}.rawget("k"));
err(@() SC.rawget("k"));
err(@() SC().rawget("k"));
err(@() SC().rawset("newkey", 1));
err(@() SC().rawset("x", 5).x);
// string library
err(@() "abc".slice());
err(@() "abc".slice(2, 1));
err(@() "abc".slice(0, 5));
err(@() "ABCDEF".tolower(1, 3));
err(@() "abcdef".toupper(-2));
err(@() "abcdef".toupper(1, 10));
err(@() "abcdef".toupper(4, 2));
err(@() "MiXeD".tolower() + "MiXeD".toupper());
err(@() "hello".find("l", -1));
err(@() "hello".find("l", 3));
err(@() "hello".find("l", 9));
// abs works through a C int
err(@() abs(-3000000001));
err(@() abs(4294967296));
err(@() abs(2147483648));
err(@() abs(-2147483648));
err(@() abs(-7.9));
err(@() abs(1e10));
err(@() abs(-12));
err(@() fabs(-3000000001));

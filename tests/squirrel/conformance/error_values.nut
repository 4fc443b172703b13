// How error messages quote a value: numbers as numbers (floats widened, %.14g),
// strings as their text cut to 50 bytes, null as null, everything else as its
// type name; messages about a type keep the type name.
function p(x) { print(x + "\n"); }
function err(f) { try { f(); } catch (e) { p(e); } }
err(@() {}[0.1]);
err(@() {}[123456789.0]);
err(@() {}[-7]);
err(@() {}[true]);
err(@() {}[[]]);
err(@() {}[{}]);
err(@() {}[print]);
err(@() {}[function() {}]);
err(@() {}["0123456789012345678901234567890123456789012345678901234567890"]);
class K {}
err(@() {}[K]);
err(@() {}[K()]);
err(@() {}[blob(1)]);
err(@() {}[newthread(print)]);
err(@() {}[(function() { yield 1; })()]);
err(@() {}[K().weakref()]);
// comparison quotes both operands, left first, whatever the operator
err(@() 2 < "k");
err(@() "k" >= 2);
err(@() [] < 2);
err(@() true < 2);
err(@() 0.1 < "k");
err(@() 2 <=> {});
err(@() 2.5 > false);
err(@() [] <= {});
// a type alone stays a type name
err(@() (1).x = 2);
err(@() null.x);
err(@() [] + 1);

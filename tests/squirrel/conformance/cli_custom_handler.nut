seterrorhandler(function(e) { print("handler: " + e + "\n"); });
try { throw "caught"; } catch (e) { print("caught quietly\n"); }
throw "boom";

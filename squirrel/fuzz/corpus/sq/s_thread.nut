local t = newthread(function(a) { suspend(a); return 2; }); t.call(1); t.wakeup(3);

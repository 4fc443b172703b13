local a = [3,1,2]; a.sort(); foreach(i,v in a) print(v);

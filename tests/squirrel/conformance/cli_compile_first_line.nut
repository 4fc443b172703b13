local v = ;

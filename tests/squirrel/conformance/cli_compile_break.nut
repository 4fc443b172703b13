
  break;

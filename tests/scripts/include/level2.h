int l2a;
int l2b;









int broken = (1 + )
  * 2;

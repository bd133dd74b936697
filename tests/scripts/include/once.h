int once_counter = 1;

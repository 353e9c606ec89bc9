// placeholder until the first real source lands

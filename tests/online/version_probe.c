/* A module that exists only to carry (or lack) a version resource. */
int OrvelleVersionProbe(void) { return 0; }

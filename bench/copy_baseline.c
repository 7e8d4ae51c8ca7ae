/* The least a piped consultation can cost: read the same answers and write
   the same bytes as dep, with nothing computed. */
#include <stdio.h>

static const char OUTPUT[] =
    "Le patient est il un (H)omme , une (F)emme ou un (E)nfant ? \n"
    "Quel est l age de l individu ? l age le plus proche est 45 ans\n"
    "\nQuel est la taille l individu ? (en cm) la taille la plus proche est 175\n"
    "La valeur theorique de la DEP est 631 L/Min\n"
    "Entrez le resultat du test DEP effectue sur le patient (0 pour quitter) \n"
    "La valeur mesuree correspond a 76.1 % de la valeur theorique";

int main(void) {
  char input[64];
  while (fread(input, 1, sizeof input, stdin) > 0) {
  }
  (void)fwrite(OUTPUT, 1, sizeof OUTPUT - 1, stdout);
  return 0;
}

// What the accessibility statement declares, computed from the audit's grid:
// one row a situation.
import assert from "node:assert/strict";
import { auditValues } from "./assemble_page.mjs";

const grid = (...statuses) => ["critere,statut,raison",
  ...statuses.map((status, i) => `1.${i + 1},${status},"Une raison."`)].join("\n");

// The grid's statuses; the state, rate and counts the statement declares; whether it says the audit is incomplete.
const cases = [
  [["C", "C", "NA"], "totalement conforme", "100",
    "2 critères conformes sur 2 applicables vérifiés\u00a0; 1 critère ne s’applique pas à l’application", false],
  [["C", "NC", "C"], "partiellement conforme", "66",
    "2 critères conformes sur 3 applicables vérifiés\u00a0; 0 critère ne s’applique pas à l’application", false],
  // Criteria not tested: never totally conformant, and the statement names them.
  [["C", "NT", "NA", "NT"], "partiellement conforme", "100", "1 critère conforme sur 1 applicable vérifié\u00a0; " +
    "1 critère ne s’applique pas à l’application\u00a0; 2 n’ont pas été vérifiés (1.2 et 1.4)", true],
  [["NC", "NC", "C"], "non conforme", "33",
    "1 critère conforme sur 3 applicables vérifiés\u00a0; 0 critère ne s’applique pas à l’application", false],
];
for (const [statuses, state, rate, counts, incomplete] of cases) {
  const values = auditValues(grid(...statuses));
  assert.deepEqual([values.DEP_RGAA_STATE, values.DEP_RGAA_RATE, values.DEP_RGAA_COUNTS], [state, rate, counts],
    statuses.join());
  assert.equal(values.DEP_RGAA_INCOMPLETE.includes("L’audit est incomplet"), incomplete, statuses.join());
  assert.equal(values.DEP_RGAA_FAILURES.includes("aucune non-conformité"), !statuses.includes("NC"), statuses.join());
}
assert.throws(() => auditValues(grid("C", "OK")), /not a criterion, a status C, NC, NA or NT/);
console.log(`${cases.length + 1} grids read as expected`);

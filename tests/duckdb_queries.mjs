// Runs the league's queries of examples/archive/ with DuckDB (npm's
// @duckdb/node-api) in the folder that holds archive/, and prints their
// answers as one JSON object.
// Usage: node duckdb_queries.mjs <folder with node_modules> <sql folder> <driver>
// Exits 77 when the package is not installed there.
import { createRequire } from 'node:module';
import { readFileSync } from 'node:fs';
import { join } from 'node:path';

const [toolsDir, sqlDir, driver] = process.argv.slice(2);
let duckdb;
try {
    duckdb = createRequire(join(toolsDir, 'package.json'))('@duckdb/node-api');
} catch (e) {
    console.log(`skipped: @duckdb/node-api is not installed in ${toolsDir} (npm install --prefix ${toolsDir} @duckdb/node-api): ${e.message}`);
    process.exit(77);
}
const sql = (name) => readFileSync(join(sqlDir, name), 'utf8');
const instance = await duckdb.DuckDBInstance.create(':memory:');
const db = await instance.connect();
await db.run(sql('tables.sql'));
await db.run(`SET VARIABLE driver = '${driver.replaceAll("'", "''")}'`);
const answers = {};
for (const [key, file] of [['drivers', 'drivers.sql'], ['lapRecords', 'lap_records.sql'], ['lapTimes', 'lap_times.sql']])
    answers[key] = (await db.runAndReadAll(sql(file))).getRowObjectsJson();
console.log(JSON.stringify(answers));

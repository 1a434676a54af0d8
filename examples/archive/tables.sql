-- The archive's tables as views over the JSON Lines files that
--   gridtally --archive --laps -o archive replays/
-- writes into the folder archive/.
CREATE OR REPLACE VIEW replays AS FROM read_json('archive/replays.jsonl', format = 'newline_delimited');
CREATE OR REPLACE VIEW results AS FROM read_json('archive/results.jsonl', format = 'newline_delimited');
CREATE OR REPLACE VIEW laps AS FROM read_json('archive/laps.jsonl', format = 'newline_delimited');

-- Each driver's starts, wins, podiums and fastest laps over every race.
WITH races AS (
    SELECT driver, position FROM results WHERE resultTable = 'classification'
), fastest AS (
    SELECT driver, count(*) AS fastest_laps
    FROM results WHERE resultTable = 'fastestLaps' AND position = 1
    GROUP BY driver
)
SELECT driver,
       count(*)::INTEGER AS starts,
       count(*) FILTER (WHERE position = 1)::INTEGER AS wins,
       count(*) FILTER (WHERE position <= 3)::INTEGER AS podiums,
       coalesce(any_value(fastest_laps), 0)::INTEGER AS fastest_laps
FROM races LEFT JOIN fastest USING (driver)
GROUP BY driver
ORDER BY wins DESC, podiums DESC, fastest_laps DESC, starts DESC, driver;

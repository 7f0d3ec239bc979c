-- The fleet's server, set up once by the office as a superuser:
--   psql -v ON_ERROR_STOP=1 -d radarflow -f server-setup.sql
-- Then one login role per station, named as the station (--station NAME),
-- and one for each office reader:
--   CREATE ROLE "station-01" LOGIN PASSWORD '...' IN ROLE radarflow_station;
--   CREATE ROLE office LOGIN PASSWORD '...' IN ROLE radarflow_office;
-- A station may insert and update only the rows of its own station: row-level
-- security compares the rows' station with the role it logged in as.

BEGIN;

CREATE TABLE IF NOT EXISTS schema_version (version int NOT NULL);
CREATE TABLE IF NOT EXISTS stations (station text PRIMARY KEY, first_seen timestamptz,
    last_seen timestamptz, software text, firmware text);
CREATE TABLE IF NOT EXISTS runs (station text, start_time timestamptz, end_time timestamptz,
    samples int, mean_velocity double precision, mean_level double precision,
    mean_flow double precision, file text, PRIMARY KEY (station, start_time));
CREATE TABLE IF NOT EXISTS samples (station text, start_time timestamptz, seq int,
    time timestamptz, velocity double precision, level double precision,
    flow double precision, air_gap double precision, discharge double precision,
    velocity_strength int, level_strength int, PRIMARY KEY (station, start_time, seq));
INSERT INTO schema_version SELECT 1 WHERE NOT EXISTS (SELECT 1 FROM schema_version);

DO $$
BEGIN
    IF NOT EXISTS (SELECT 1 FROM pg_roles WHERE rolname = 'radarflow_station') THEN
        CREATE ROLE radarflow_station NOLOGIN;
    END IF;
    IF NOT EXISTS (SELECT 1 FROM pg_roles WHERE rolname = 'radarflow_office') THEN
        CREATE ROLE radarflow_office NOLOGIN;
    END IF;
END
$$;

-- Stations write their rows and read them back (the run's means are taken
-- from its samples on the server); nothing is ever deleted by a station.
GRANT SELECT ON schema_version TO radarflow_station;
GRANT SELECT, INSERT, UPDATE ON stations, runs, samples TO radarflow_station;
-- The office reads everything and writes nothing.
GRANT SELECT ON schema_version, stations, runs, samples TO radarflow_office;

ALTER TABLE stations ENABLE ROW LEVEL SECURITY;
ALTER TABLE runs ENABLE ROW LEVEL SECURITY;
ALTER TABLE samples ENABLE ROW LEVEL SECURITY;

DROP POLICY IF EXISTS own_station ON stations;
DROP POLICY IF EXISTS own_station ON runs;
DROP POLICY IF EXISTS own_station ON samples;
CREATE POLICY own_station ON stations TO radarflow_station
    USING (station = current_user) WITH CHECK (station = current_user);
CREATE POLICY own_station ON runs TO radarflow_station
    USING (station = current_user) WITH CHECK (station = current_user);
CREATE POLICY own_station ON samples TO radarflow_station
    USING (station = current_user) WITH CHECK (station = current_user);

DROP POLICY IF EXISTS office_reads ON stations;
DROP POLICY IF EXISTS office_reads ON runs;
DROP POLICY IF EXISTS office_reads ON samples;
CREATE POLICY office_reads ON stations FOR SELECT TO radarflow_office USING (true);
CREATE POLICY office_reads ON runs FOR SELECT TO radarflow_office USING (true);
CREATE POLICY office_reads ON samples FOR SELECT TO radarflow_office USING (true);

-- What the office's dashboards ask for most: a station's samples over time.
CREATE INDEX IF NOT EXISTS samples_station_time ON samples (station, time);

COMMIT;

INSERT INTO Licence (Code_club, licence, Nom, Prenom) VALUES ('FRA5110750012', '081777', 'MARTIN', 'Léa');
CREATE FUNCTION refuse() RETURNS trigger LANGUAGE plpgsql AS $$ BEGIN RAISE EXCEPTION 'sélection close'; END $$;
CREATE TRIGGER refuse BEFORE INSERT ON Selection FOR EACH ROW EXECUTE FUNCTION refuse();

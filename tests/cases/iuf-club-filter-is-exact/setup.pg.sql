INSERT INTO Licence (Code_club, licence, Nom, Prenom) VALUES ('FRA4080380012', '100001', 'DUPONT', 'Jean');
INSERT INTO Licence (Code_club, licence, Nom, Prenom) VALUES ('FRA5110750001', '200001', 'DUPONT', 'Jean');
CREATE FUNCTION autre() RETURNS trigger LANGUAGE plpgsql AS $$ BEGIN RAISE EXCEPTION 'autre club'; END $$;
CREATE TRIGGER autre BEFORE UPDATE ON Licence FOR EACH ROW WHEN (OLD.licence = '200001') EXECUTE FUNCTION autre();

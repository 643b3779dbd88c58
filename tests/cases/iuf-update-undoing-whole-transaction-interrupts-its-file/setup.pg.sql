INSERT INTO Licence (Code_club, licence, Nom, Prenom) VALUES ('FRA4080380012', '100001', 'DUPONT', 'Jean');
INSERT INTO Licence (Code_club, licence, Nom, Prenom) VALUES ('FRA4080380012', '100002', 'DUPONT', 'Jean');
INSERT INTO Licence (Code_club, licence, Nom, Prenom) VALUES ('FRA4080380012', '100003', 'DUPONT', 'Jean');
INSERT INTO Licence (Code_club, licence, Nom, Prenom) VALUES ('FRA4080380012', '100004', 'DUPONT', 'Jean');
INSERT INTO Licence (Code_club, licence, Nom, Prenom) VALUES ('FRA5110750001', '200001', 'DUPONT', 'Jean');
CREATE FUNCTION boom() RETURNS trigger LANGUAGE plpgsql AS $$ BEGIN RAISE EXCEPTION 'refus'; END $$;
CREATE TRIGGER boom BEFORE UPDATE ON Licence FOR EACH ROW WHEN (NEW.Code_unique = 'BOOM') EXECUTE FUNCTION boom();
